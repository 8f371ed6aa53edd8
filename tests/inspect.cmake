# The inspector's own library joins the suite binary, so its tests call the writers directly.
target_link_libraries(sceneio_tests PRIVATE sceneio_inspect)
