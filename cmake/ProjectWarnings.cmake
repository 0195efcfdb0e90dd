# Warnings are errors for the project's own code (third-party code is built without these).
function(tessaly_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(TESSALY_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
