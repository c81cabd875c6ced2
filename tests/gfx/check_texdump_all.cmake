# Runs `quandrix-texdump --all DIR` as a user would and checks that DIR holds
# exactly the table's textures and the contact sheet, nothing else.
file(REMOVE_RECURSE "${DIR}")
execute_process(COMMAND "${TOOL}" --all "${DIR}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "quandrix-texdump --all failed with ${rc}")
endif()
set(expected
  contact-sheet.png texCaustics0.png texCaustics1.png texCaustics2.png texCaustics3.png
  texCredits.png texFont.png texFont2.png texGenFire.png texGenSpot.png texGenSpotsRGB.png
  texGenUnusedGreen.png texGenWarpGrey.png texLogo.png texRock.png texWhite.png)
file(GLOB written RELATIVE "${DIR}" "${DIR}/*")
list(SORT written)
list(SORT expected)
if(NOT written STREQUAL expected)
  message(FATAL_ERROR "wrote: ${written}\nexpected: ${expected}")
endif()
