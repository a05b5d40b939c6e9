# kxpack's source side for sprites and backgrounds; included by the kxpack
# build and by the tests that need it.
add_library(kx_writer_sprites STATIC ${CMAKE_CURRENT_LIST_DIR}/source_sprites.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source_fonts.cpp)
target_include_directories(kx_writer_sprites PUBLIC ${PROJECT_SOURCE_DIR}/tools ${PROJECT_SOURCE_DIR}/runner)
target_link_libraries(kx_writer_sprites PUBLIC kx_sprites kx_gamedata kx_image nlohmann_json::nlohmann_json)
