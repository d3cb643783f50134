# Warning flags for the project's own targets, and the sanitizer switch.
set(LEXORIN_WARNINGS -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local> -Wnon-virtual-dtor
    -Wno-missing-field-initializers)
if(LEXORIN_WERROR)
  list(APPEND LEXORIN_WARNINGS -Werror)
endif()

if(LEXORIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(LEXORIN_FUZZ)
  # Coverage for the fuzzers over the whole tree; each *_fuzz target adds the libFuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

function(lexorin_target_warnings target)
  target_compile_options(${target} PRIVATE ${LEXORIN_WARNINGS})
endfunction()
