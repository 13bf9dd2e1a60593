# The Windows program Tessamor.exe, its in-process Win32 tests and the end-to-end driver, built
# with the mingw-w64 cross compiler (included by the top-level CMakeLists.txt for WIN32).

# Windows XP and later; everything linked statically so that only system DLLs are needed.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600)
set(TESSAMOR_STATIC_LINK -static -static-libgcc -static-libstdc++)
# The program has one thread: plain function-local statics keep the thread library (and its
# calls that Windows XP lacks) out of Tessamor.exe.
target_compile_options(tessamor_core PRIVATE -fno-threadsafe-statics)

# The pictures of the resources, drawn by our own script.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(TESSAMOR_RES_DIR ${CMAKE_BINARY_DIR}/res)
set(TESSAMOR_RES_FILES ${TESSAMOR_RES_DIR}/toolbar.bmp ${TESSAMOR_RES_DIR}/tessamor.ico
    ${TESSAMOR_RES_DIR}/view.cur ${TESSAMOR_RES_DIR}/drag.cur)
add_custom_command(OUTPUT ${TESSAMOR_RES_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSAMOR_RES_DIR}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make-resources.py ${TESSAMOR_RES_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-resources.py
  COMMENT "Drawing the toolbar pictures, the icon and the cursors")
add_custom_target(tessamor_pictures DEPENDS ${TESSAMOR_RES_FILES})
set(TESSAMOR_RC ${CMAKE_SOURCE_DIR}/resources/tessamor.rc)
file(GLOB TESSAMOR_RC_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/dialogs_*.rc)
set_source_files_properties(${TESSAMOR_RC} PROPERTIES
  OBJECT_DEPENDS "${TESSAMOR_RES_FILES};${CMAKE_SOURCE_DIR}/app/command_labels.h;${CMAKE_SOURCE_DIR}/app/resource_ids.h;${TESSAMOR_RC_PARTS}")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${TESSAMOR_RES_DIR} -I${CMAKE_SOURCE_DIR}")

# The shell: everything of the program but its entry point, shared with the Win32 tests.
add_library(tessamor_shell STATIC
  app/cmd_class_win32.cpp
  app/main_window_win32.cpp
  app/channel_win32.cpp
  app/file_dialogs_win32.cpp
  app/view_win32.cpp
  app/toolbar_win32.cpp
  app/dialogs_win32.cpp
  app/info_windows_win32.cpp
  app/adjust_dialogs_win32.cpp
  app/settings_dialog_win32.cpp
  app/rename_dialog_win32.cpp
  app/trimming_win32.cpp
  app/thumbnails_win32.cpp
  app/thumbnail_window_win32.cpp
  app/slideshow_win32.cpp
  app/printer_win32.cpp
)
target_link_libraries(tessamor_shell PUBLIC tessamor_core comctl32 comdlg32 shell32 ole32 gdi32 user32 winspool)
target_compile_options(tessamor_shell PRIVATE -fno-threadsafe-statics)
# The thumbnail browser's recycle-bin sound.
target_link_libraries(tessamor_shell PUBLIC winmm)

add_executable(Tessamor WIN32 app/main_win32.cpp app/xp_support_win32.cpp ${TESSAMOR_RC})
target_compile_options(Tessamor PRIVATE -fno-threadsafe-statics)
add_dependencies(Tessamor tessamor_pictures)
target_link_libraries(Tessamor PRIVATE tessamor_shell ${TESSAMOR_STATIC_LINK} -s)

if(TESSAMOR_TESTS)
  # GoogleTest from Debian's sources, cross-compiled.
  set(GTEST_SRC /usr/src/googletest/googletest)
  add_library(win32_gtest STATIC ${GTEST_SRC}/src/gtest-all.cc)
  target_include_directories(win32_gtest SYSTEM PUBLIC ${GTEST_SRC}/include PRIVATE ${GTEST_SRC})
  target_compile_options(win32_gtest PRIVATE -w)

  file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
  add_executable(win32_tests ${WIN32_TEST_SOURCES} ${TESSAMOR_RC})
  add_dependencies(win32_tests tessamor_pictures)
  target_link_libraries(win32_tests PRIVATE tessamor_shell win32_gtest ${TESSAMOR_STATIC_LINK})

  file(GLOB E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
  add_executable(e2e_driver ${E2E_SOURCES})
  target_include_directories(e2e_driver PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(e2e_driver PRIVATE win32_gtest user32 gdi32 ${TESSAMOR_STATIC_LINK})
endif()

if(TESSAMOR_BENCH)
  add_executable(paint_bench bench/paint_win32.cpp ${TESSAMOR_RC})
  add_dependencies(paint_bench tessamor_pictures)
  target_link_libraries(paint_bench PRIVATE tessamor_shell ${TESSAMOR_STATIC_LINK})
  add_executable(thumbs_bench bench/thumbs_win32.cpp ${TESSAMOR_RC})
  add_dependencies(thumbs_bench tessamor_pictures)
  target_link_libraries(thumbs_bench PRIVATE tessamor_shell ${TESSAMOR_STATIC_LINK})
endif()
