# Writes OUT, a C++ source whose __lsan_default_suppressions gives LeakSanitizer the suppressions of IN (a
# suppressions file: one "leak:<pattern>" a line, "#" comments), so that a program carries them itself; and whose
# __lsan_default_options keeps the count of suppressed leaks out of the program's output (a real leak is still
# reported, and fails the program).
file(STRINGS ${IN} lines)
set(text "")
foreach(line ${lines})
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  string(REPLACE "\\" "\\\\" line "${line}")
  string(REPLACE "\"" "\\\"" line "${line}")
  string(APPEND text "           \"${line}\\n\"\n")
endforeach()
file(WRITE ${OUT} "// Made at build time from cmake/lsan.supp by cmake/LsanSuppressions.cmake.
extern \"C\" __attribute__((visibility(\"default\"), used)) const char* __lsan_default_suppressions() {
    return \"\"
${text}        ;
}

extern \"C\" __attribute__((visibility(\"default\"), used)) const char* __lsan_default_options() {
    return \"print_suppressions=0\";
}
")
