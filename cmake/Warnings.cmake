# Project-wide warning set; every target of the project calls lumari_warnings().
function(lumari_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
    if(LUMARI_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
      -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
      -Wimplicit-fallthrough)
    if(LUMARI_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# In an optimised build the test programs' own code is compiled without
# optimisation: it only drives the code under test, which keeps the build's
# optimisation, and so compiles in about half the time.
function(lumari_test_code target)
  if(NOT MSVC)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-O0>)
  endif()
endfunction()
