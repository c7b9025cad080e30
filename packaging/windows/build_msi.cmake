# Builds the MSI with wixl so that the same sources give the same bytes, run
# in the folder of the staged files (packaging/windows/CMakeLists.txt):
#   cmake -DWIXL= -DFAKETIME= -DMSIBUILD= -DWXS= -DMSI= -DEPOCH= -DSUBJECT=
#         -DAUTHOR= -DNAMESPACE= -DFILES= -P build_msi.cmake
# wixl stamps the summary's creation and save times with the clock and has
# no switch for it: it runs under faketime, with the clock stopped at EPOCH.
# It also draws the package code at random and ignores Package/@Id: msibuild
# sets it afterwards, derived from what the package holds, so a package
# with other contents gets another code, as Windows Installer requires.
foreach(var WIXL FAKETIME MSIBUILD WXS MSI EPOCH SUBJECT AUTHOR NAMESPACE FILES)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_msi.cmake: ${var} is not set")
  endif()
endforeach()

set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP frozen "%Y-%m-%d %H:%M:%S" UTC)
file(REMOVE ${MSI})
# wixl exits 0 even when it cannot write its output: the file tells.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f ${frozen} ${WIXL} --arch x64 -o ${MSI} ${WXS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS ${MSI})
  message(FATAL_ERROR "wixl failed to build ${MSI}")
endif()

file(SHA256 ${WXS} contents)
foreach(file IN LISTS FILES)
  file(SHA256 ${file} hash)
  string(APPEND contents " ${file}=${hash}")
endforeach()
string(UUID package_code NAMESPACE ${NAMESPACE} NAME "${contents}" TYPE SHA1 UPPER)
# -s rewrites the subject, author and template too: the ones wixl wrote.
execute_process(COMMAND ${MSIBUILD} ${MSI} -s "${SUBJECT}" "${AUTHOR}" "x64;1033" "{${package_code}}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${MSI})
  message(FATAL_ERROR "msibuild failed to set the package code of ${MSI}")
endif()
