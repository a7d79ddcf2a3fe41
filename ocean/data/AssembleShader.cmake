# Writes OUTPUT as the concatenation of the comma-separated INPUTS.
string(REPLACE "," ";" inputs "${INPUTS}")
set(text "")
foreach(input ${inputs})
  file(READ ${input} piece)
  string(APPEND text "${piece}")
endforeach()
file(WRITE ${OUTPUT}.tmp "${text}")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
