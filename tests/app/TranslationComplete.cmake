# Fails when a text of the window has no finished English translation: a copy
# of the English translation file is brought up to date with the sources (as
# lupdate would do it for a translator) and lrelease must then count no
# unfinished entry. A text added to the code without its translation, or a
# translation left unfinished, fails here.
#   cmake -DLUPDATE=... -DLRELEASE=... -DSOURCES=app-folder -DTS=qt_en.ts
#         -DWORK=scratch-folder -P TranslationComplete.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${TS} DESTINATION ${WORK})
get_filename_component(name ${TS} NAME)
set(copy ${WORK}/${name})
execute_process(COMMAND ${LUPDATE} -silent -locations none -no-obsolete ${SOURCES} -ts ${copy}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed: ${out}")
endif()
execute_process(COMMAND ${LRELEASE} ${copy} -qm ${WORK}/check.qm
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lrelease failed: ${out}")
endif()
string(REGEX MATCH "Generated ([0-9]+) translation\\(s\\) \\(([0-9]+) finished and ([0-9]+) unfinished\\)"
  counts "${out}")
if(NOT counts)
  message(FATAL_ERROR "no statistics from lrelease: ${out}")
endif()
set(generated ${CMAKE_MATCH_1})
set(unfinished ${CMAKE_MATCH_3})
# An entry without any translation is not generated at all: lrelease names it
# among the "untranslated source texts", and the file marks it unfinished.
file(READ ${copy} text)
string(REGEX MATCHALL "type=\"unfinished\"" marks "${text}")
list(LENGTH marks marked)
if(NOT unfinished EQUAL 0 OR NOT marked EQUAL 0 OR generated EQUAL 0
   OR out MATCHES "untranslated source text")
  message(FATAL_ERROR "${name}: ${counts}, ${marked} entries marked unfinished; "
    "update it with lupdate and translate every entry")
endif()
message(STATUS "${name}: ${counts}")
