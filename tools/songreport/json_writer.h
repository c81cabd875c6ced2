#pragma once
// A small streaming JSON writer for the tools' --json output: objects,
// arrays, strings (escaped as RFC 8259 asks), integers and booleans, written
// with two-space indentation as they come. The caller nests the calls
// correctly; the writer keeps track of the commas.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace songreport {

class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out) : out_(out) {}

    void BeginObject();
    void EndObject();
    // An inline array stays on one line: for short lists of numbers.
    void BeginArray(bool inlineItems = false);
    void EndArray();
    // The key of the next value inside an object.
    void Key(std::string_view key);
    void String(std::string_view value);
    void Int(std::int64_t value);
    void Bool(bool value);

    // Key and value in one call.
    void Field(std::string_view key, std::string_view value) {
        Key(key);
        String(value);
    }
    void Field(std::string_view key, const char* value) {
        Key(key);
        String(value);
    }
    void Field(std::string_view key, std::int64_t value) {
        Key(key);
        Int(value);
    }
    void Field(std::string_view key, int value) {
        Key(key);
        Int(value);
    }
    void Field(std::string_view key, bool value) {
        Key(key);
        Bool(value);
    }

    // Ends the document with a newline.
    void Finish();

private:
    void BeforeValue();
    void Newline();
    void WriteString(std::string_view text);

    std::FILE* out_;
    struct Open {
        bool hasItems = false;
        bool inlineItems = false;
    };
    std::vector<Open> open_;  // one entry per open object or array
    bool afterKey_ = false;
};

}  // namespace songreport
