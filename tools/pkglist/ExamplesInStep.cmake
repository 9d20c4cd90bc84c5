# Rebuilds the sample catalogue's list files from their JSON and compares
# them byte for byte with the committed ones, which the substitute client
# view program embeds.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(failures "")
foreach(name PkgMenuList PkgMenuListEx PkgStoreList)
  execute_process(COMMAND ${PKGLIST} build ${EXAMPLES}/${name}.json ${WORK}/${name}.dat
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(APPEND failures "${name}: build failed (${rc}): ${err}\n")
    continue()
  endif()
  file(SHA256 ${WORK}/${name}.dat built)
  file(SHA256 ${EXAMPLES}/data/${name}.dat committed)
  if(NOT built STREQUAL committed)
    string(APPEND failures "${name}.dat differs from what ${name}.json builds; rebuild it with pkglist build\n")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
