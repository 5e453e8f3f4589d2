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
        case EAGAIN:
        case EINTR:
            return "ressource momentanément indisponible, réessayez";
        case EEXIST:
            return "un fichier de ce nom existe déjà";
        case ENOTEMPTY:
            return "le dossier n'est pas vide";
        case EXDEV:
            return "les deux emplacements sont sur des supports différents";
        case ELOOP:
            return "trop de liens symboliques";
        case ENODEV:
        case ENXIO:
        case ENOTCONN:
        case ESTALE:
            return "le support n'est plus disponible";
        case ETIMEDOUT:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ENETUNREACH:
        case ECONNRESET:
            return "le partage réseau ne répond pas";
        case EOPNOTSUPP:
            return "opération non prise en charge par le support";
        default: {
            // No English sentence in a French box: the number and its symbolic name only.
            const char* nom = ::strerrorname_np(erreur);
            return "erreur système " + std::to_string(erreur) +
                   (nom ? " (" + std::string(nom) + ")" : "");
        }
    }
}

}  // namespace vp
