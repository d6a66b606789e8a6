# Checks of the built module files themselves, without running them: the
# tested modules and the stripped ones a user installs.
foreach(bits 64 32)
  set(dir ${TAVORIN_WIN${bits}_DIR})
  if(NOT dir)
    continue()
  endif()
  if(bits EQUAL 64)
    set(objdump x86_64-w64-mingw32-objdump)
    set(name Tavorin64.8bf)
  else()
    set(objdump i686-w64-mingw32-objdump)
    set(name Tavorin.8bf)
  endif()
  add_test(NAME module_file${bits}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/module/check-module-file
                   ${objdump} ${dir}/${name})
  add_test(NAME module_file${bits}.release
           COMMAND ${PROJECT_SOURCE_DIR}/tests/module/check-module-file
                   ${objdump} ${dir}/release/${name}
                   --release ${PROJECT_SOURCE_DIR})
endforeach()

# The pictures in resources/pictures are what their drawing program makes.
find_program(PYTHON3 python3)
if(PYTHON3)
  add_test(NAME pictures
           COMMAND ${PYTHON3} ${PROJECT_SOURCE_DIR}/resources/pictures/make_pictures.py
                   --check)
endif()
