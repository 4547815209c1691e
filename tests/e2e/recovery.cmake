# Session journals, --recover and --resume through vantrelis-batch, each case in a folder of its own.
if(TARGET vantrelis-batch)
  foreach(case killed resumed failed unknown discard help)
    add_test(NAME recovery_${case}
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/recovery_test.sh ${case}
        $<TARGET_FILE:vantrelis-batch> ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/e2e/recovery_${case})
    set_tests_properties(recovery_${case} PROPERTIES LABELS e2e TIMEOUT 300
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --disable-background-networking --disable-component-update;LC_ALL=C.UTF-8")
  endforeach()
  set_tests_properties(recovery_killed recovery_resumed PROPERTIES RUN_SERIAL TRUE)
endif()
