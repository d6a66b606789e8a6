# Tests that run the cross-built Windows programs under Wine. The native
# tree drives them so that one test run covers all three builds.
set(TAVORIN_WIN32_DIR "" CACHE PATH "Build tree of the 32-bit modules")
set(TAVORIN_WIN64_DIR "" CACHE PATH "Build tree of the 64-bit modules")
set(tavorin_scripts ${PROJECT_SOURCE_DIR}/scripts)

if(TAVORIN_WIN64_DIR)
  add_test(NAME wine.start COMMAND ${tavorin_scripts}/wine-session start)
  add_test(NAME wine.stop COMMAND ${tavorin_scripts}/wine-session stop)
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)

  add_test(NAME module64
           COMMAND ${tavorin_scripts}/wine-run 64
                   ${TAVORIN_WIN64_DIR}/tests/module/module_tests.exe)
  set_tests_properties(module64 PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "TAVORIN_MODULE=${TAVORIN_WIN64_DIR}/Tavorin64.8bf;TAVORIN_MODULE32=${TAVORIN_WIN32_DIR}/Tavorin.8bf;TAVORIN_MODULE64=${TAVORIN_WIN64_DIR}/Tavorin64.8bf;TAVORIN_RELEASE_MODULE=${TAVORIN_WIN64_DIR}/release/Tavorin64.8bf")

  # The module held to each slower path by the environment, as a user
  # may hold it: the same bytes as the engine's.
  foreach(kernels sse2 avx2)
    add_test(NAME module64.${kernels}
             COMMAND ${tavorin_scripts}/wine-run 64
                     ${TAVORIN_WIN64_DIR}/tests/module/module_tests.exe
                     --gtest_filter=Run.WholeImagesMatchTheEngineBitForBit)
    set_tests_properties(module64.${kernels} PROPERTIES
      FIXTURES_REQUIRED wine
      ENVIRONMENT "TAVORIN_KERNELS=${kernels};TAVORIN_MODULE=${TAVORIN_WIN64_DIR}/Tavorin64.8bf;TAVORIN_RELEASE_MODULE=${TAVORIN_WIN64_DIR}/release/Tavorin64.8bf")
  endforeach()

  # A short soak: sixty random invocations, checked like the long one
  # (scripts/soak), with enough real dialogs that the objects they leave
  # behind are counted after the first.
  add_test(NAME soak64
           COMMAND ${tavorin_scripts}/wine-run 64
                   ${TAVORIN_WIN64_DIR}/tests/module/tavorin-soak.exe 60 1
                   --dialogs 100)
  set_tests_properties(soak64 PROPERTIES
    FIXTURES_REQUIRED wine
    TIMEOUT 120
    ENVIRONMENT "TAVORIN_MODULE=${TAVORIN_WIN64_DIR}/Tavorin64.8bf")
endif()

if(TAVORIN_WIN32_DIR)
  # One emulated process (about a minute to start): everything that can
  # differ between the builds runs inside it.
  # The host's image files are left to the 64-bit run: Wine's 32-bit
  # imaging codecs have crashed under qemu, and they are not ours.
  add_test(NAME module32
           COMMAND ${tavorin_scripts}/wine-run 32
                   ${TAVORIN_WIN32_DIR}/tests/module/module_tests.exe
                   --gtest_filter=-HostImageIo.*)
  set_tests_properties(module32 PROPERTIES
    FIXTURES_REQUIRED wine
    SKIP_RETURN_CODE 77
    TIMEOUT 1500
    ENVIRONMENT "TAVORIN_MODULE=${TAVORIN_WIN32_DIR}/Tavorin.8bf;TAVORIN_MODULE32=${TAVORIN_WIN32_DIR}/Tavorin.8bf;TAVORIN_MODULE64=${TAVORIN_WIN64_DIR}/Tavorin64.8bf;TAVORIN_RELEASE_MODULE=${TAVORIN_WIN32_DIR}/release/Tavorin.8bf")
endif()

# Both test programs read and write the user's last-used settings file in
# the one prefix (and the 64-bit one briefly moves the user's
# application-data folder): never at the same time.
foreach(test module64 module64.sse2 module64.avx2 module32 soak64)
  if(TEST ${test})
    set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK settings-file)
  endif()
endforeach()

# The Windows test programs compare the engine's tables and filtered
# pictures with the native build's digests, made during the native build.
foreach(test module64 module32)
  if(TEST ${test} AND TAVORIN_ENGINE_DIGESTS)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
                 "TAVORIN_ENGINE_DIGESTS=${TAVORIN_ENGINE_DIGESTS}")
  endif()
endforeach()

# The dialog's faces in a process of a German and of a Chinese user
# interface and system code page (the locale test alone; the 64-bit run
# has the machine's), and at 192 DPI. Pictures of the dialog go to
# shots/, the README's as shots/dialog.png and shots/dialog-chinese.png
# (and -192 before .png).
set(TAVORIN_SHOTS ${CMAKE_BINARY_DIR}/shots)
if(TAVORIN_WIN64_DIR)
  set_property(TEST module64 APPEND PROPERTY ENVIRONMENT
               "TAVORIN_SHOTS=${TAVORIN_SHOTS}")
  foreach(locale "western de_DE.UTF-8 1252 english"
                 "chinese zh_CN.UTF-8 936 chinese")
    separate_arguments(locale)
    list(GET locale 0 name)
    list(GET locale 1 lc_all)
    list(GET locale 2 acp)
    list(GET locale 3 face)
    add_test(NAME dialog64.${name}
             COMMAND ${tavorin_scripts}/wine-run 64
                     ${TAVORIN_WIN64_DIR}/tests/module/module_tests.exe
                     --gtest_filter=DialogLocale.*)
    # One dialog on the display at a time, as the settings file is.
    set_tests_properties(dialog64.${name} PROPERTIES
      FIXTURES_REQUIRED wine
      RESOURCE_LOCK settings-file
      ENVIRONMENT "LC_ALL=${lc_all};TAVORIN_EXPECT_ACP=${acp};TAVORIN_EXPECT_FACE=${face};TAVORIN_MODULE=${TAVORIN_WIN64_DIR}/Tavorin64.8bf;TAVORIN_SHOTS=${TAVORIN_SHOTS}")
  endforeach()
  # At 192 DPI also the file dialogs, typing, the radius slider, the
  # wheel and the preview held and released.
  add_test(NAME dialog64.dpi192
           COMMAND ${tavorin_scripts}/wine-run 64
                   ${TAVORIN_WIN64_DIR}/tests/module/module_tests.exe
                   --gtest_filter=DialogLocale.*:ParamDialog.*:DialogPresets.*:DialogPreview.*)
  # The prefix's DPI is set for the run: no other dialog meanwhile.
  set_tests_properties(dialog64.dpi192 PROPERTIES
    FIXTURES_REQUIRED wine
    RESOURCE_LOCK settings-file
    ENVIRONMENT "TAVORIN_DPI=192;TAVORIN_EXPECT_DPI=192;TAVORIN_MODULE=${TAVORIN_WIN64_DIR}/Tavorin64.8bf;TAVORIN_SHOTS=${TAVORIN_SHOTS}")
endif()

# What a user downloads: the release modules packed as scripts/package
# packs them, unpacked into a fresh folder, read and run by our host
# (tests/check-archive).
if(TAVORIN_WIN64_DIR AND TAVORIN_WIN32_DIR)
  add_test(NAME archive
           COMMAND ${PROJECT_SOURCE_DIR}/tests/check-archive
                   ${PROJECT_SOURCE_DIR} ${TAVORIN_WIN32_DIR}
                   ${TAVORIN_WIN64_DIR} ${CMAKE_BINARY_DIR}/archive
                   $<TARGET_FILE:tavorin-settings>)
  set_tests_properties(archive PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endif()
