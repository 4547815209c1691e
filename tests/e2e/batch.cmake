# End-to-end checks of the headless command: each case runs in a folder of its own.
if(TARGET vantrelis-batch)
  foreach(case samples roundtrip encodings statuses clear qt-free)
    add_test(NAME batch_${case}
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/batch_test.sh ${case}
        $<TARGET_FILE:vantrelis-batch> ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/e2e/batch_${case})
    set_tests_properties(batch_${case} PROPERTIES LABELS e2e TIMEOUT 120)
  endforeach()
endif()
