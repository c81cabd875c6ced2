# Makes the one-file page: the template's <script src="quandrix.js"></script>
# replaced by the script itself (which carries the module as base64), so
# that the page opens from disk and fetches nothing.
# cmake -DTEMPLATE=... -DSCRIPT=... -DOUT=... -P InlineScript.cmake
file(READ "${TEMPLATE}" page)
file(READ "${SCRIPT}" script)
set(tag "<script src=\"quandrix.js\"></script>")
string(FIND "${page}" "${tag}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${TEMPLATE} has no ${tag} to replace")
endif()
# Inside a <script> element the text "</script" would end it early, in any
# mix of cases (HTML tag names are case-insensitive).
string(TOLOWER "${script}" lowered)
string(FIND "${lowered}" "</script" closing)
if(NOT closing EQUAL -1)
  message(FATAL_ERROR "${SCRIPT} contains </script (in some case) and cannot be inlined")
endif()
string(REPLACE "${tag}" "<script>\n${script}</script>" page "${page}")
# Written beside and renamed, so the page is never seen half written.
file(WRITE "${OUT}.tmp" "${page}")
file(RENAME "${OUT}.tmp" "${OUT}")
