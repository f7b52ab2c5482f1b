# Installs the build tree into a scratch prefix, then builds three projects
# against it with find_package(Tarnwell), each in a build tree of its own
# outside the source tree, and runs what they build:
#  - consumer: the engine alone (Tarnwell::tarnwell);
#  - the README's block example (Tarnwell::blocks);
#  - the template project that a modeller copies from examples/template.
# Inputs: BUILD_DIR, WORK_DIR, BUILD_TYPE, CXX_FLAGS, LINKER_FLAGS,
# CONSUMER_DIR, README_EXAMPLE_DIR, EXAMPLE_SOURCE, TEMPLATE_DIR.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

# build_and_run(NAME SOURCE_DIR EXECUTABLE EXPECTED_REGEX [cmake args...])
function(build_and_run name source executable expected)
  set(build "${WORK_DIR}/${name}")
  run(${CMAKE_COMMAND} -S "${source}" -B "${build}"
      "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
      "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}" ${ARGN})
  run(${CMAKE_COMMAND} --build "${build}")
  run("${build}/${executable}")
  if(NOT last_output MATCHES "${expected}")
    message(FATAL_ERROR "${name} printed '${last_output}', expected '${expected}'")
  endif()
  message(STATUS "${name} printed: ${last_output}")
endfunction()

run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}" --config "${BUILD_TYPE}")
build_and_run(consumer "${CONSUMER_DIR}" consumer "^Tarnwell")
build_and_run(readme_example "${README_EXAMPLE_DIR}" delay_block "^generated 100, done 97, still delayed 3\n$"
              "-DEXAMPLE_SOURCE=${EXAMPLE_SOURCE}")
build_and_run(template "${TEMPLATE_DIR}" my_model "^counted [0-9]+, out [0-9]+\n$")
