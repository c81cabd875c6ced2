// The main of every GoogleTest program here. A skipped case is a check that
// did not run: outside CI that is allowed (a developer may lack a package),
// but in CI (CI=true) it fails the program, so a missing install step can
// never pass as green. The skip messages name the package to install.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

namespace {

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const int skipped = testing::UnitTest::GetInstance()->skipped_test_count();
    if (skipped > 0 && InCi()) {
        std::fprintf(stderr, "%d test%s skipped, and in CI every test must run: install what the skip "
                             "message names (scripts/debian-packages.txt)\n",
                     skipped, skipped == 1 ? "" : "s");
        return 1;
    }
    return result;
}
