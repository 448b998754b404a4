#pragma once
#include "Document.h"

/// A project document: the ".vrp" file of a project. Its content is shown in
/// the project tree, never in a window of its own.
class CProjectDoc : public CDocument
{
public:
    CProjectDoc() = default;
};
