# Bitmap rendering, painter device context and clipboard tests. Included by
# this folder's CMakeLists.txt.
add_executable(vistrel-render-tests
    ${CMAKE_CURRENT_LIST_DIR}/test_render.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_render_clipboard.cpp)
target_link_libraries(vistrel-render-tests PRIVATE vistrel_app GTest::gtest_main vistrel_warnings)
gtest_discover_tests(vistrel-render-tests
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen LABELS app)
