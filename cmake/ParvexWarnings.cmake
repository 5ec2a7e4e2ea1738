# Applied per target so that third-party code pulled in later keeps its own flags.
function(parvex_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wformat=2 $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
  if(PARVEX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
