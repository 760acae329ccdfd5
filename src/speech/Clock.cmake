# The talking clock: the minute tick's decisions, the spoken time text, the wall clock it waits
# on and the analog clock widget with its dial picture. Included by this folder's CMakeLists.txt.
target_sources(talvoro_speech PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MinuteTick.cpp ${CMAKE_CURRENT_LIST_DIR}/MinuteTick.h
    ${CMAKE_CURRENT_LIST_DIR}/WallClock.h ${CMAKE_CURRENT_LIST_DIR}/WallClock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WallClockLinux.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SayTimeText.cpp ${CMAKE_CURRENT_LIST_DIR}/SayTimeText.h
    ${CMAKE_CURRENT_LIST_DIR}/OvcClock.cpp ${CMAKE_CURRENT_LIST_DIR}/OvcClock.h
)
# The dial is read as ":/resources/ClockFace.svg".
qt_add_resources(talvoro_speech "clockface" PREFIX "/" BASE ${CMAKE_CURRENT_LIST_DIR}
    FILES ${CMAKE_CURRENT_LIST_DIR}/resources/ClockFace.svg)
# The dial is a vector picture, rendered at whatever pixel ratio the screen has.
target_link_libraries(talvoro_speech PRIVATE Qt6::Svg)
