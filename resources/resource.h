// Identifiers of every resource of vsr.exe. Shared by vsr.rc and the C++ code,
// so it holds nothing but #define lines. A number may serve several templates;
// each meaning gets its own name. Identifiers are only ever added, never renamed.
#ifndef VISTREL_RESOURCE_H
#define VISTREL_RESOURCE_H

// ---- Dialog templates ----
#define IDD_MAIN 102             // main window "Vistrel"
#define IDD_WAITING 131          // waiting window "Vistrel Wizard"
#define IDD_SELECT_AREA 134      // hollow area selection frame
#define IDD_FULLSCREEN 1000      // What page: whole screen
#define IDD_ACTIVE_WINDOW 1011   // What page: active window
#define IDD_AREA 1012            // What page: selected area
#define IDD_IMMEDIATE 1013       // How page: immediately
#define IDD_ON_KEY 1014          // How page: key combination
#define IDD_BITMAP 1015          // To page: bitmap file
#define IDD_CLIPBOARD 1016       // To page: clipboard
#define IDD_GIF 1017             // To page: GIF file
#define IDD_ANIMATED_GIF 1018    // To page: animated GIF file
#define IDD_ON_KEY_WIZARD 1020   // waiting page of the key trigger
#define IDD_JPG 1022             // To page: JPEG file
#define IDD_PNG 1023             // To page: PNG file
#define IDD_CONTROL 1024         // What page: a control picked with the mouse
#define IDD_CONTROL_WIZARD 1025  // waiting page of the control source
#define IDD_ON_TIMER 1026        // How page: timer
#define IDD_ON_TIMER_WIZARD 1027 // waiting page of the timer trigger
#define IDD_RESULT 1028          // "Result" preview

// ---- Icons ----
#define IDI_MAIN 128           // window icon of the main window and the Result dialog
#define IDI_KEY_WIZARD 132     // key and timer waiting pages
#define IDI_CONTROL_WIZARD 133 // control waiting page

// ---- WAVE resource (a named resource of type "WAVE") ----
#define IDR_CAMERASOUND "CAMERASOUND"
#define RT_WAVE_NAME "WAVE"

// ---- Controls ----
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Main window (102); buttons 1 "Capture" and 2 "Cancel" are IDOK and IDCANCEL.
#define IDC_WHAT_LIST 1001 // drop-down list of capture sources
#define IDC_HIDE 1002      // "hide this window on capture"
#define IDC_MOUSE 1003     // "capture mouse"
#define IDC_HOW_LIST 1004  // drop-down list of triggers
#define IDC_TO_LIST 1005   // drop-down list of outputs
#define IDC_STEP1 1023     // placeholder of step picture 1 (What)
#define IDC_STEP2 1024     // placeholder of step picture 2 (How)
#define IDC_STEP3 1025     // placeholder of step picture 3 (To)
#define IDC_SOUND 1041     // "Play sound"
#define IDC_PREVIEW 1042   // "Preview"

// Active window page (1011).
#define IDC_CLIENT_CAPTURE 1006 // "capture only the client area of the selected window"

// Area page (1012).
#define IDC_FIXED_POSITION 1007   // "fixed starting position of the area"
#define IDC_FIXED_DIMENSIONS 1008 // "fixed dimensions of the area"
#define IDC_X_POSITION 1009       // "X position:" field
#define IDC_Y_POSITION 1010       // "Y position:" field
#define IDC_HEIGHT 1011           // "Height:" field
#define IDC_WIDTH 1012            // "Width:" field

// Control page (1024).
#define IDC_SCROLL 1032 // hidden "auto-scrolling" check box

// Key page (1014) and timer page (1026).
#define IDC_START_KEY 1017          // box of the start key combination
#define IDC_STOP_KEY 1018           // box of the stop key combination
#define IDC_STOP_AFTER_CAPTURE 1020 // radio: "Stop after first capture" / "Stop after" n "capture(s)"
#define IDC_STOP_AFTER_KEY 1021     // radio: "Stop after key combination:"
#define IDC_SECONDS 1038            // timer page: seconds between captures
#define IDC_CAPTURES 1039           // timer page: number of captures

// File output pages (1015, 1017, 1018, 1022, 1023).
#define IDC_FILE_NAME 1018 // file name edit
#define IDC_BROWSE 1022    // "Browse"
#define IDC_DELAY 1027     // animated GIF page: delay between frames

// Waiting pages (1020, 1027).
#define IDC_HEADLINE 1017     // "<key>" and the source's sentence
#define IDC_WIZ_CAPTURE 1030  // "Capture"
#define IDC_WIZ_CANCEL 1031   // "Cancel"
#define IDC_WIZ_HIDE 1032     // "Hide"
#define IDC_STATUS 1036       // status line (area position and size)
#define IDC_COUNTDOWN 1040    // timer page: remaining seconds

// Result dialog (1028); button 1 "Accept" is IDOK.
#define IDC_HSCROLL 1000 // horizontal scroll bar
#define IDC_VSCROLL 1001 // vertical scroll bar
#define IDC_DROP 1003    // "Drop"
#define IDC_PICTURE 1005 // hidden static, subclassed as the animated picture control

// ---- String table: display texts ----
#define IDS_CAPTURE_WHOLE_SCREEN 107      // "Capture the whole screen"
#define IDS_CAPTURE_ACTIVE_WINDOW 110     // "Capture the active window"
#define IDS_CAPTURE_SELECTED_AREA 111     // "Capture selected area"
#define IDS_CAPTURE_IMMEDIATELY 119       // "Capture immediately after clicking on the "Capture" button"
#define IDS_CAPTURE_AFTER_KEY 120         // "Capture after pressing a key"
#define IDS_SAVE_AS_BITMAP 126            // "Save result as bitmap"
#define IDS_SAVE_TO_CLIPBOARD 128         // "Save result to clipboard"
#define IDS_IMG_FOLDER 137                // "img"
#define IDS_STEP1_FILE 138                // "\STEP1.GIF"
#define IDS_STEP2_FILE 139                // "\STEP2.GIF"
#define IDS_STEP3_FILE 140                // "\STEP3.GIF"
#define IDS_SAVE_AS_GIF 141               // "Save result as GIF"
#define IDS_SAVE_AS_ANIMATED_GIF 142      // "Save result as animated GIF"
#define IDS_SAVE_AS_JPEG 144              // "Save result as JPEG"
#define IDS_SAVE_AS_PNG 145               // "Save result as PNG"
#define IDS_CAPTURE_CONTROL 146           // "Capture a button or a menu or a window pane or ..."
#define IDS_CAPTURE_AFTER_SECONDS 148     // "Capture after a number of seconds"

// ---- String table: registry value names ----
#define IDS_LAST_WHAT_SELECTION 104 // "lastWhatSelection"
#define IDS_LAST_HOW_SELECTION 105  // "lastHowSelection"
#define IDS_LAST_TO_SELECTION 106   // "lastToSelection"
#define IDS_MOUSE 108               // "mouse"
#define IDS_HIDE 109                // "hide"
#define IDS_CLIENT_CAPTURE 112      // "clientCapture"
#define IDS_FIXED_POSITION 113      // "fixedPosition"
#define IDS_FIXED_DIMENSIONS 114    // "fixedDimensions"
#define IDS_X_POSITION 115          // "xPosition"
#define IDS_Y_POSITION 116          // "yPosition"
#define IDS_WIDTH 117               // "width"
#define IDS_HEIGHT 118              // "height"
#define IDS_SCAN_CODE 121           // "scanCode"
#define IDS_KEY_CODE 122            // "keyCode"
#define IDS_CTRL 123                // "ctrl"
#define IDS_ALT 124                 // "alt"
#define IDS_SHIFT 125               // "shift"
#define IDS_FILE_NAME 127           // "fileName"
#define IDS_STOP_KEY_RADIO 131      // "stopKeyRadio"
#define IDS_STOP_SCAN_CODE 132      // "stopScanCode"
#define IDS_STOP_KEY_CODE 133       // "stopKeyCode"
#define IDS_STOP_CTRL 134           // "stopCtrl"
#define IDS_STOP_ALT 135            // "stopAlt"
#define IDS_STOP_SHIFT 136          // "stopShift"
#define IDS_DELAY 143               // "delay"
#define IDS_SCROLL 147              // "scroll"
#define IDS_NUMBER_OF_CAPTURES 149  // "numberOfCaptures"
#define IDS_SECONDS 150             // "seconds"
#define IDS_SOUND 152               // "sound"
#define IDS_PREVIEW 153             // "preview"

#endif // VISTREL_RESOURCE_H
