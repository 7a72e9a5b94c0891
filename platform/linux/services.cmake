# Non-GUI Linux services: by-name libraries, /proc snapshot, counters, system info, threads.
add_library(proccpu_linux_services STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CounterNames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InstanceCache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinuxCounterService.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinuxLibraries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinuxSystemInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinuxThreads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProcReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SnapshotRoutines.cpp
)
target_include_directories(proccpu_linux_services PUBLIC ${CMAKE_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(proccpu_linux_services PUBLIC Threads::Threads)

find_package(GTest REQUIRED)
add_executable(proccpu_linux_tests
  ${CMAKE_CURRENT_LIST_DIR}/tests/CounterNamesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/CounterServiceTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/LibrariesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/ProcReaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/SnapshotRoutinesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/SystemInfoTest.cpp
)
target_link_libraries(proccpu_linux_tests PRIVATE proccpu_linux_services GTest::gtest GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(proccpu_linux_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                     TEST_PREFIX "linux_services.")
