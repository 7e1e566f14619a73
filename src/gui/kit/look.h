#pragma once

// The application-wide font and settings that every window is designed for.
namespace Look {
void apply();
}
