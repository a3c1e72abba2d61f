// Which backend the runtime's platform stand-ins use: SDL2 (a real window,
// keyboard, game controller and audio) or headless (no display and no audio;
// tests drive input and read back what was shown and played). Chosen once at
// start, before the first platform object is created.
#pragma once

enum class RuntimeBackend { Sdl, Headless };

// The backend in use: the one selected, else headless when the environment
// variable VELLORN_RUNTIME is "headless", else SDL2.
RuntimeBackend ActiveBackend();

// Selects the backend; tests call it before creating any platform object.
void SelectBackend(RuntimeBackend backend);
