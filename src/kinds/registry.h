#pragma once

// Every kind of page, in menu order, each named once. A kind is the folder
// src/kinds/<side>/<id lowercased>/ with kind.cpp (the stored name, the
// record's layout, the fresh record, the texts: tw_core), step.cpp (its run
// step: tw_run) and pane.cpp (its editor pane: tw_app); each layer builds
// its table from these lists, so a kind is one line here and nothing else.
//
// X is a macro taking the kind's id, which is also its namespace
// (kinds::command::<id>, kinds::condition::<id>).

// clang-format off
#define TARNWICK_COMMANDS(X) \
    X(none)                  \
    X(click)                 \
    X(mousePointer)          \
    X(smoothMove)            \
    X(key)                   \
    X(enterText)             \
    X(window)                \
    X(pointerInWindow)       \
    X(smoothMoveInWindow)    \
    X(imageJump)             \
    X(goToPage)              \
    X(callProject)           \
    X(imageJumpBranch)

#define TARNWICK_CONDITIONS(X) \
    X(waitUntilOver)           \
    X(time)                    \
    X(immediately)             \
    X(click)                   \
    X(key)                     \
    X(clockTime)               \
    X(windowState)             \
    X(colour)                  \
    X(image)                   \
    X(clickBranch)             \
    X(keyBranch)               \
    X(windowBranch)            \
    X(colourBranch)            \
    X(imageBranch)
// clang-format on
