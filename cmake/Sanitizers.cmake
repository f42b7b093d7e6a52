# ASan+UBSan for the whole tree when MORVEX_SANITIZE is on; every
# UBSan finding aborts so that a test cannot pass over it.
if(MORVEX_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()
