#pragma once
// UserFolders: where the program may write. A copy run from a folder of its
// own (a build folder, a USB stick) keeps its pictures beside it; an install
// into a read-only prefix writes into the user's XDG folders instead.

#include <QString>

namespace tervalo {

class UserFolders {
public:
    // The base folders the choices are made from.
    struct Locations {
        QString program;   // the folder of the executable
        QString installed; // the folder an install puts the program in: never written to
        QString pictures;  // the user's pictures folder
        QString appData;   // the program's XDG data folder
        QString documents; // the user's documents folder
    };
    // The folders this system names for the running program.
    static Locations systemLocations();

    // A folder ready to take files, or the reason it is not.
    struct Folder {
        QString path;
        QString reason; // empty when path can be written
        bool usable() const { return !path.isEmpty() && reason.isEmpty(); }
    };

    // Where finished sweeps are saved.
    struct AutoSave {
        QString folder;        // empty: no folder can take pictures
        bool portable = false; // the program's own folder
        QString notice;        // when folder is empty: both folders and why
    };

    explicit UserFolders(Locations where = systemLocations());

    const Locations &locations() const { return where_; }

    // The program's folder when it can be written and is not the installed
    // program's folder (root can write there, but no user looks there),
    // else <pictures>/Tervalo (created when needed), else none.
    AutoSave autoSaveFolder() const;
    // The run library: the XDG data folder, created when needed.
    Folder runLibraryFolder() const;
    // The first folder offered for experiment files: <documents>/Tervalo,
    // created when needed; the XDG data folder when that cannot be made.
    Folder experimentFolder() const;

    // The Auto Save box's tooltip for a choice.
    static QString autoSaveToolTip(const AutoSave &choice);

    // Creates path (and its parents) when missing and checks that a file can
    // be made in it; the reason is the system's text.
    static Folder prepare(const QString &path);

private:
    Locations where_;
};

} // namespace tervalo
