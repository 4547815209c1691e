# Headless harvests of the bundled demo directory with vantrelis-batch.
#
# Included by tests/CMakeLists.txt, this file adds the tests; run with -P,
# it is the test itself:
#   cmake -DBATCH=<vantrelis-batch> -DOUT=<csv> -DMODE=full|interrupted
#         [-DEXPECTED=<csv>] -P harvest.cmake
if(CMAKE_SCRIPT_MODE_FILE)
  file(REMOVE "${OUT}")
  if(MODE STREQUAL "interrupted")
    # SIGINT once the third listing is reported: the run stops as "Pause"
    # stops it, and the rows harvested so far are still exported.
    set(script [=[
      "$1" --harvest demo --export-csv "$2" 2>"$3" & pid=$!
      for i in $(seq 1200); do
        grep -q "fiche 3/" "$3" 2>/dev/null && break
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
      done
      kill -INT $pid 2>/dev/null
      wait $pid
    ]=])
    execute_process(COMMAND bash -c "${script}" harvest "${BATCH}" "${OUT}" "${OUT}.log"
                    RESULT_VARIABLE status)
    file(READ "${OUT}.log" errors)
  else()
    execute_process(COMMAND "${BATCH}" --harvest demo --export-csv "${OUT}"
                    RESULT_VARIABLE status ERROR_VARIABLE errors)
  endif()
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "vantrelis-batch ended with status ${status}:\n${errors}")
  endif()
  if(MODE STREQUAL "interrupted")
    if(NOT errors MATCHES "Récolte arrêtée à la demande : ([0-9]+) contact")
      message(FATAL_ERROR "no stop reported:\n${errors}")
    endif()
    set(added "${CMAKE_MATCH_1}")
    file(READ "${OUT}" bytes HEX)
    string(REGEX MATCHALL "0d0a" lines "${bytes}")
    list(LENGTH lines count)
    if(added LESS 3 OR added GREATER 5 OR NOT count EQUAL added)
      message(FATAL_ERROR "${added} rows reported, ${count} exported:\n${errors}")
    endif()
  else()
    foreach(line "page 1, fiche 1/8 : boulangerie müller & fils" "page 1, fiche 4/8 : (pas de fiche)"
                 "page 3, fiche 6/6 : schreinerei ammann"
                 "Récolte terminée : 21 contacts ajoutés depuis 3 pages de résultats")
      string(FIND "${errors}" "${line}" at)
      if(at EQUAL -1)
        message(FATAL_ERROR "missing progress line \"${line}\" in:\n${errors}")
      endif()
    endforeach()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}" "${EXPECTED}" RESULT_VARIABLE differs)
    if(differs)
      message(FATAL_ERROR "${OUT} differs from ${EXPECTED}")
    endif()
  endif()
  return()
endif()

if(TARGET vantrelis-batch)
  set(_harvest_env
    "QT_QPA_PLATFORM=offscreen"
    "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --disable-background-networking --disable-component-update"
    "LC_ALL=C.UTF-8"
    "XDG_STATE_HOME=${CMAKE_CURRENT_BINARY_DIR}/e2e/harvest-state")
  add_test(NAME e2e_harvest_demo
    COMMAND ${CMAKE_COMMAND} -DBATCH=$<TARGET_FILE:vantrelis-batch> -DMODE=full
            -DOUT=${CMAKE_CURRENT_BINARY_DIR}/harvest_demo.csv
            -DEXPECTED=${PROJECT_SOURCE_DIR}/tests/data/harvest/expected_demo.csv
            -P ${CMAKE_CURRENT_LIST_FILE})
  add_test(NAME e2e_harvest_interrupted
    COMMAND ${CMAKE_COMMAND} -DBATCH=$<TARGET_FILE:vantrelis-batch> -DMODE=interrupted
            -DOUT=${CMAKE_CURRENT_BINARY_DIR}/harvest_interrupted.csv
            -P ${CMAKE_CURRENT_LIST_FILE})
  set_tests_properties(e2e_harvest_demo e2e_harvest_interrupted PROPERTIES
    LABELS e2e TIMEOUT 300 RUN_SERIAL TRUE ENVIRONMENT "${_harvest_env}")
endif()
