// Ids of the icon resources in icons/ (the file icons/<id>.svg or .png).
#pragma once

// Icon resources.
constexpr int IDR_MAINFRAME = 128;
constexpr int IDI_CONNECT = 130;
constexpr int IDI_CONNECTED = 131;
constexpr int IDI_READ = 132;
constexpr int IDI_SET = 133;
constexpr int IDI_OPEN = 134;
constexpr int IDI_SAVE = 135;
constexpr int IDI_EXIT = 136;
constexpr int IDI_CALIBRATE = 138;
