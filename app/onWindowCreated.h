#pragma once

#include <cstdint>

// The main window's created event, before the window is first shown: measures the view canvas,
// makes the back canvas three times its size each way and hidden, puts `view` at home and ends any
// drag. Draws nothing.
void onWindowCreated();

// 标签2's feedback event. Nothing sends one; it does nothing.
void onLabel2Feedback(std::int32_t first, std::int32_t second);
