# Boost's header-only parts (Debian's libboost-dev), for every build of the program: the XML parser of the start
# lists. The cross build for Windows takes the same headers, through a folder that holds nothing but a link to
# them: the mingw-w64 compiler must never see the rest of /usr/include, whose C library headers are Linux's.
find_path(KALVORA_BOOST_INCLUDE_DIR boost/version.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          DOC "The folder that holds Boost's headers (boost/version.hpp)")
if(NOT KALVORA_BOOST_INCLUDE_DIR)
    message(FATAL_ERROR "Boost's headers are missing (Debian: libboost-dev)")
endif()
add_library(kalvora_boost INTERFACE)
if(CMAKE_CROSSCOMPILING)
    set(boost_only ${CMAKE_BINARY_DIR}/boost-include)
    file(MAKE_DIRECTORY ${boost_only})
    file(CREATE_LINK ${KALVORA_BOOST_INCLUDE_DIR}/boost ${boost_only}/boost SYMBOLIC)
    target_include_directories(kalvora_boost SYSTEM INTERFACE ${boost_only})
elseif(NOT KALVORA_BOOST_INCLUDE_DIR STREQUAL "/usr/include")
    target_include_directories(kalvora_boost SYSTEM INTERFACE ${KALVORA_BOOST_INCLUDE_DIR})
endif()
