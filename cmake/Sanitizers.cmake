if(QUORVELA_SANITIZE)
  list(JOIN QUORVELA_SANITIZE "," _qv_sanitizers)
  add_compile_options(-fsanitize=${_qv_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_qv_sanitizers})
endif()
if(QUORVELA_FUZZ)
  # Coverage for the library's objects; the fuzz targets add the fuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
endif()
