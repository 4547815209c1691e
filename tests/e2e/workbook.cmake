# Workbook export through vantrelis-batch, checked with an independent reader
# (openpyxl): the script skips (77) without it, and fails instead when CI=true.
if(TARGET vantrelis-batch)
  foreach(case empty samples texts failure)
    add_test(NAME workbook_${case}
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/workbook_test.sh ${case}
        $<TARGET_FILE:vantrelis-batch> ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/e2e/workbook_${case})
    set_tests_properties(workbook_${case} PROPERTIES LABELS "e2e;integration" TIMEOUT 120
      SKIP_RETURN_CODE 77)
  endforeach()
endif()
