# Prepares the Wine prefix of a Windows test run: creates it when missing
# and starts a wineserver that stays until the cleanup stops it.
set(ENV{WINEPREFIX} ${PREFIX})
set(ENV{WINEDEBUG} -all)
set(ENV{LC_ALL} ja_JP.UTF-8)
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
execute_process(COMMAND ${WINE} wineboot -i RESULT_VARIABLE booted OUTPUT_QUIET ERROR_QUIET)
if(NOT booted EQUAL 0)
    message(FATAL_ERROR "wineboot failed (${booted}) for ${PREFIX}")
endif()
execute_process(COMMAND ${WINESERVER} -p RESULT_VARIABLE served)
if(NOT served EQUAL 0)
    message(FATAL_ERROR "wineserver -p failed (${served})")
endif()
