# Checks of the built module files themselves, without running them.
if(TAVORIN_WIN64_DIR)
  add_test(NAME module_file64
           COMMAND ${PROJECT_SOURCE_DIR}/tests/module/check-module-file
                   x86_64-w64-mingw32-objdump ${TAVORIN_WIN64_DIR}/Tavorin64.8bf)
endif()
if(TAVORIN_WIN32_DIR)
  add_test(NAME module_file32
           COMMAND ${PROJECT_SOURCE_DIR}/tests/module/check-module-file
                   i686-w64-mingw32-objdump ${TAVORIN_WIN32_DIR}/Tavorin.8bf)
endif()

# The pictures in resources/pictures are what their drawing program makes.
find_program(PYTHON3 python3)
if(PYTHON3)
  add_test(NAME pictures
           COMMAND ${PYTHON3} ${PROJECT_SOURCE_DIR}/resources/pictures/make_pictures.py
                   --check)
endif()
