// The sizes every IRC buffer shares.
#pragma once

constexpr int kIrcLineLength = 2048;  // a line, a nickname or a message, terminating zero included
constexpr int kLoginFieldLength = 64;
