# scene-convert's tests read the glTF it writes with the JSON library the writer uses, and run
# the program itself.
target_link_libraries(sceneio_tests PRIVATE nlohmann_json::nlohmann_json)
target_compile_definitions(sceneio_tests PRIVATE SCENE_CONVERT_PATH="$<TARGET_FILE:scene-convert>"
  SCENEIO_VERSION="${PROJECT_VERSION}")
add_dependencies(sceneio_tests scene-convert)
