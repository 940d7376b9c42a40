# Read by ctest after the suites' discovered tests (a TEST_INCLUDE_FILES entry of the root
# CMakeLists.txt): the meshes suite draws on the headless device too, so its tests carry the
# label gpu besides meshes. (A list given to gtest_discover_tests' LABELS would be split into
# separate property words, hence this file.)
if(DEFINED tests_meshes_TESTS)
    set_tests_properties(${tests_meshes_TESTS} PROPERTIES LABELS "meshes;gpu")
endif()
