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
