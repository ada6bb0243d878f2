# Warnings for the project's own targets (not for GoogleTest).
function(tessaron_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  endif()
endfunction()

# Windows programs: statically linked against the compiler runtime, so a
# plain copy of the .exe runs on a Windows machine.
function(tessaron_static_runtime target)
  if(MINGW)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()
