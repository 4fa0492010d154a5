#pragma once
// The folder an extraction writes into, opened once. Everything below it is
// reached one folder at a time without following symbolic links, so that a
// link planted in the folder (or made by an earlier entry) can never lead a
// write outside it. New files are first created under unpredictable names
// with exclusive creation.

#include <string>

class TargetFolder {
public:
    TargetFolder() = default;
    ~TargetFolder();
    TargetFolder(const TargetFolder &) = delete;
    TargetFolder &operator=(const TargetFolder &) = delete;

    // Opens the folder (empty: the current folder); false with error set.
    bool open(const std::string &folder, std::string *error);
    // Opens the folder that holds relativePath ("a/b/c.txt" gives a/b),
    // making missing folders; its descriptor (the caller closes it) and the
    // last part of the path in *leaf. -1 with error set when a part is a
    // link or a file, or cannot be made.
    int openFolderOf(const std::string &relativePath, std::string *leaf, std::string *error) const;
    // Makes relativePath and its parents as folders; false with error set.
    bool makeFolders(const std::string &relativePath, std::string *error) const;
    // Creates a new file beside leaf in folder under a name no one could
    // guess; its descriptor, and the name in *name. -1 with error set.
    static int createTemporary(int folder, const std::string &leaf, std::string *name, std::string *error);

private:
    // Opens (making it when missing) the folder part inside folder.
    static int stepInto(int folder, const std::string &part, std::string *error);

    int m_fd = -1;
};
