# ASan+UBSan for the whole tree when MORVEX_SANITIZE is on; every
# UBSan finding aborts so that a test cannot pass over it.
option(MORVEX_TSAN "Build with ThreadSanitizer (its own build folder; see tools/tsan.sh)" OFF)

if(MORVEX_SANITIZE AND MORVEX_TSAN)
  message(FATAL_ERROR "MORVEX_SANITIZE and MORVEX_TSAN cannot share a build: use two build folders")
endif()

if(MORVEX_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()

# ThreadSanitizer for the port worker, the serial line and everything that
# talks to the simulated box. Debug information keeps the race stacks
# readable.
if(MORVEX_TSAN)
  set(_tsan -fsanitize=thread -fno-omit-frame-pointer -g)
  add_compile_options(${_tsan})
  add_link_options(${_tsan})
  # Timed mutexes must be seen by the sanitizer (see the file).
  add_library(morvex_tsan_clocklock OBJECT ${CMAKE_CURRENT_LIST_DIR}/tsan/ClockLock.cpp)
  link_libraries(morvex_tsan_clocklock)
endif()
