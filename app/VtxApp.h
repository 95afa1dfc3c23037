#pragma once

// The application object: binds the hook library, runs the main window
// modally, unbinds the library. The process ends when Run returns.
class CVtxApp {
public:
    int Run();
};
