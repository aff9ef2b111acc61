# ICU for the locale comparison. The static archives are preferred: a static
# Dirvane starts several milliseconds faster than one that loads libstdc++ and
# ICU at run time, and every request is a new process.
find_library(ICU_I18N_A NAMES libicui18n.a)
find_library(ICU_UC_A NAMES libicuuc.a)
find_library(ICU_DATA_A NAMES libicudata.a)

add_library(dirvane_icu INTERFACE)
if(ICU_I18N_A AND ICU_UC_A AND ICU_DATA_A)
    target_link_libraries(dirvane_icu INTERFACE ${ICU_I18N_A} ${ICU_UC_A} ${ICU_DATA_A}
                          ${CMAKE_DL_LIBS} pthread)
else()
    find_package(ICU REQUIRED COMPONENTS i18n uc data)
    target_link_libraries(dirvane_icu INTERFACE ICU::i18n ICU::uc ICU::data)
endif()
