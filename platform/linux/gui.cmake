# Qt 6 Widgets window, list view, message box and event wait; their tests and the end-to-end test.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(proccpu_linux_gui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/QtGui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtGuiCells.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtGuiText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtGuiWidgets.cpp
)
target_include_directories(proccpu_linux_gui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(proccpu_linux_gui PUBLIC Qt6::Widgets)

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
