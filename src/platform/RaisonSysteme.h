// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The French reason for a system error number, in plain C++ so that the program's external
// tools give the same words as the program.

#include <cerrno>
#include <cstring>
#include <string>

namespace vp {

inline std::string raisonErreurSysteme(int erreur) {
    switch (erreur) {
        case ENOSPC:
            return "le disque est plein";
        case EDQUOT:
            return "le quota de disque est dépassé";
        case EFBIG:
            return "le fichier dépasse la taille permise";
        case EACCES:
        case EPERM:
            return "accès refusé";
        case ENOENT:
            return "fichier ou dossier introuvable";
        case ENOTDIR:
            return "un élément du chemin n'est pas un dossier";
        case EROFS:
            return "le support est en lecture seule";
        case EIO:
            return "erreur de lecture ou d'écriture sur le support";
        case ENAMETOOLONG:
            return "nom trop long";
        case EISDIR:
            return "c'est un dossier";
        case ENOMEM:
            return "mémoire insuffisante";
        case EMFILE:
        case ENFILE:
            return "trop de fichiers ouverts";
        case EINVAL:
            return "opération refusée par le support";
        case EBUSY:
        case ETXTBSY:
            return "le fichier est utilisé";
        default:
            return "erreur système " + std::to_string(erreur) + " (" + std::strerror(erreur) + ")";
    }
}

}  // namespace vp
