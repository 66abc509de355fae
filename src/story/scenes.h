// The scenes of the story. Each plays its text, asks its choice and returns the
// scene the player goes to next; game() follows those jumps until End.
#pragma once

enum class Scene {
    Level_0,                 // arrival in the yellow rooms
    Level_0_1,               // walking on, to the fork
    Level_0_1_0,             // the left way, to the manila room
    Level_0_1_1,             // the right way, into the red room
    Level_0_2,               // resting
    Level_1,                 // arrival in the concrete halls
    Level_1_0,               // greeting the stranger
    Level_1_1,               // ignoring him
    Level_1_MEG_Alpha_Base,  // the base: the status panel and its menu
    Level_1_Explore,         // supply boxes, the graffiti, the small door
    Level_Fun,               // through the ceiling
    End,                     // the end screen
};

Scene opening();

Scene Level_0();
Scene Level_0_1();
Scene Level_0_1_0();
Scene Level_0_1_1();
Scene Level_0_2();

Scene Level_1();
Scene Level_1_0();
Scene Level_1_1();
Scene Level_1_MEG_Alpha_Base();
Scene Level_1_Explore();
Scene Level_Fun();

void End();
