# ICU for the locale comparison: the system's shared libraries, as Debian's
# packages link them. A static Dirvane (DIRVANE_STATIC) takes ICU's static
# archives instead; it starts several milliseconds faster, with no shared
# library to load and relocate, and every CGI request is a new process.
add_library(dirvane_icu INTERFACE)
if(DIRVANE_STATIC)
    find_library(ICU_I18N_A NAMES libicui18n.a)
    find_library(ICU_UC_A NAMES libicuuc.a)
    find_library(ICU_DATA_A NAMES libicudata.a)
    if(NOT (ICU_I18N_A AND ICU_UC_A AND ICU_DATA_A))
        message(FATAL_ERROR "DIRVANE_STATIC needs ICU's static archives (libicu-dev)")
    endif()
    target_link_libraries(dirvane_icu INTERFACE ${ICU_I18N_A} ${ICU_UC_A} ${ICU_DATA_A}
                          ${CMAKE_DL_LIBS} pthread)
else()
    find_package(ICU REQUIRED COMPONENTS i18n uc data)
    target_link_libraries(dirvane_icu INTERFACE ICU::i18n ICU::uc ICU::data)
endif()
