// Telling the player that a highscore could not be saved: once a run, in a message box over the game
// window and in a line on standard error, each naming the table's file and the reason. The game goes
// on, with the score in the table until the game ends or a later save writes it.
#pragma once

class HighscoreList;

namespace zonkel {

// Tells of the table's failed save (HighscoreList::SaveError) unless nothing failed or a failed save
// was told of already in this run.
void TellOnceOfUnsavedHighscore(const HighscoreList& table);

} // namespace zonkel
