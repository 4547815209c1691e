# The manual page and the bash completion of vantrelis-batch against its help.
if(TARGET vantrelis-batch)
  add_test(NAME packaging_documents_every_option
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/packaging_test.sh $<TARGET_FILE:vantrelis-batch> ${PROJECT_SOURCE_DIR})
  set_tests_properties(packaging_documents_every_option PROPERTIES LABELS e2e TIMEOUT 60)
endif()
