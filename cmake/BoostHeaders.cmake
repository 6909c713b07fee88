# Boost's headers (Debian's libboost-dev), header-only, as the target kalvora_boost_headers: Beast and Asio for the
# live page's server, RapidXml for the start lists. The cross build for Windows reaches them through a folder that
# holds only a link to them, so that no other header of /usr/include (glibc's) comes along.
add_library(kalvora_boost_headers INTERFACE)
if(WIN32 AND CMAKE_CROSSCOMPILING)
    set(KALVORA_BOOST_HEADERS /usr/include/boost CACHE PATH "Boost's headers (the folder named boost)")
    if(NOT EXISTS ${KALVORA_BOOST_HEADERS}/version.hpp)
        message(FATAL_ERROR "Boost's headers are missing at ${KALVORA_BOOST_HEADERS} (Debian: libboost-dev)")
    endif()
    set(boost_include ${CMAKE_BINARY_DIR}/boost-include)
    file(MAKE_DIRECTORY ${boost_include})
    file(CREATE_LINK ${KALVORA_BOOST_HEADERS} ${boost_include}/boost SYMBOLIC)
    target_include_directories(kalvora_boost_headers SYSTEM INTERFACE ${boost_include})
else()
    find_package(Boost 1.74 REQUIRED)
    target_link_libraries(kalvora_boost_headers INTERFACE Boost::headers)
endif()
