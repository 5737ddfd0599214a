# Our own targets get the strict warnings; third-party code (GoogleTest) keeps its own flags.
function(watchkeep_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
  if(WATCHKEEP_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(WATCHKEEP_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${WATCHKEEP_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${WATCHKEEP_SANITIZE})
  endif()
endfunction()

# Windows definitions shared by the program, its layer and the Windows test programs.
function(watchkeep_windows_defs target)
  target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
  target_link_options(${target} PUBLIC -static)
endfunction()
