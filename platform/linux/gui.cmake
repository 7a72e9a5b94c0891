# Qt 6 Widgets window, list view, message box and event wait; their tests and the end-to-end test.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(proccpu_linux_gui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/QtGui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtGuiCells.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtGuiText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtGuiWidgets.cpp
)
target_include_directories(proccpu_linux_gui PUBLIC ${CMAKE_SOURCE_DIR})
find_library(XCB_LIBRARY xcb REQUIRED)
# xcb only to ask whether the X server answers before Qt, which would abort, tries.
target_link_libraries(proccpu_linux_gui PUBLIC Qt6::Widgets PRIVATE ${XCB_LIBRARY})

add_executable(proccpu_linux_gui_tests
  ${CMAKE_CURRENT_LIST_DIR}/tests/QtGuiCellsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/QtGuiWindowTest.cpp
)
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(proccpu_linux_gui_tests PRIVATE proccpu_linux_gui Qt6::Test GTest::gtest
                      GTest::gtest_main Threads::Threads)
include(GoogleTest)
# The offscreen platform needs no display; each case runs in its own process with its own application.
gtest_discover_tests(proccpu_linux_gui_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                     PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 60)

# End-to-end: the real program under Xvfb against a process tree that the test starts, read through
# the accessibility bus.
add_executable(proccpu_e2e_tree ${CMAKE_SOURCE_DIR}/tests/e2e/linux/E2eTree.cpp)
add_executable(proccpu_e2e_busy ${CMAKE_SOURCE_DIR}/tests/e2e/linux/E2eBusy.cpp)
target_link_libraries(proccpu_e2e_busy PRIVATE Threads::Threads)
add_test(NAME proccpu_e2e_linux
         COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/linux/run-e2e $<TARGET_FILE:proccpu>
                 $<TARGET_FILE:proccpu_e2e_tree> $<TARGET_FILE:proccpu_e2e_busy>)
set_tests_properties(proccpu_e2e_linux PROPERTIES TIMEOUT 120)

# What a cell update from the sampler's thread costs; not a test (speed is measured, never asserted).
add_executable(proccpu_bench_qtgui_cells ${CMAKE_CURRENT_LIST_DIR}/QtGuiCellBench.cpp)
target_link_libraries(proccpu_bench_qtgui_cells PRIVATE proccpu_linux_gui Threads::Threads)
