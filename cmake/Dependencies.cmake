find_package(OpenSceneGraph 3.6 REQUIRED osg osgDB osgGA osgText osgUtil osgViewer)
find_package(OpenThreads REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
find_package(X11 REQUIRED)
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
# Videos of recorded flights: H.264 in MP4 through FFmpeg's libraries.
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavcodec libavformat libswscale libavutil)

add_library(tavri_osg INTERFACE)
target_include_directories(tavri_osg SYSTEM INTERFACE ${OPENSCENEGRAPH_INCLUDE_DIRS} ${OPENTHREADS_INCLUDE_DIR})
target_link_libraries(tavri_osg INTERFACE ${OPENSCENEGRAPH_LIBRARIES} ${OPENTHREADS_LIBRARY}
  OpenGL::GL ${OPENGL_glu_LIBRARY} Threads::Threads)

# Aerial imagery for tin's textures is read through GDAL (Debian's libgdal-dev).
find_package(GDAL REQUIRED)
