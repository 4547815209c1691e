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
    # stops it, and the rows harvested so far are still exported. The
    # listings are read as the command reports them, line by line.
    set(script [=[
      rm -f "$3.fifo" && mkfifo "$3.fifo" || exit 99
      "$1" --harvest demo --export-csv "$2" 2>"$3.fifo" & pid=$!
      : > "$3"
      while IFS= read -r line; do
        printf '%s\n' "$line" >> "$3"
        case "$line" in *"fiche 3 sur "*) kill -INT $pid ;; esac
      done < "$3.fifo"
      wait $pid
    ]=])
    execute_process(COMMAND bash -c "${script}" harvest "${BATCH}" "${OUT}" "${OUT}.log"
                    RESULT_VARIABLE status)
    file(READ "${OUT}.log" errors)
  else()
    execute_process(COMMAND "${BATCH}" --harvest demo --export-csv "${OUT}"
                    RESULT_VARIABLE status ERROR_VARIABLE errors)
  endif()
  # 130 is the status of a command that SIGINT stopped.
  set(expected_status 0)
  if(MODE STREQUAL "interrupted")
    set(expected_status 130)
  endif()
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "vantrelis-batch ended with status ${status}, not ${expected_status}:\n${errors}")
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
    # Each listing's line: where the run stands (as the window's status bar
    # says it), then the listing's name or why it was skipped.
    foreach(line "\nPage 1 · fiche 1 sur 8 · 1 ajoutée[^\n]* : boulangerie müller & fils\n"
                 "\nPage 1 · fiche 4 sur 8 · 3 ajoutées · 1 ignorée[^\n]* : ignorée, "
                 "\nPage 3 · fiche 6 sur 6 · 21 ajoutées[^\n]* : schreinerei ammann\n"
                 "\nRécolte terminée : 21 contacts ajoutés depuis 3 pages de résultats\n"
                 "annonce-retiree[.]aspx[?]id=1006 : aucune fiche reconnue sur la page")
      if(NOT "\n${errors}" MATCHES "${line}")
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
    "XDG_STATE_HOME=${CMAKE_CURRENT_BINARY_DIR}/e2e/harvest-state"
    "XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/e2e/harvest-data")
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

# A small site with pages that go wrong, served by tests/e2e/site_server.py
# (its generated directory: twice, check, layout); and ("french") the demo
# harvest and the window's start as a user meets them.
if(TARGET vantrelis-batch)
  foreach(case bad-listing consent sigterm unreachable french twice check layout)
    add_test(NAME e2e_harvest_site_${case}
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/harvest_site_test.sh ${case}
        $<TARGET_FILE:vantrelis-batch> ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/e2e/harvest_site_${case})
    set_tests_properties(e2e_harvest_site_${case} PROPERTIES
      LABELS e2e TIMEOUT 300 RUN_SERIAL TRUE ENVIRONMENT "${_harvest_env}")
  endforeach()
endif()
