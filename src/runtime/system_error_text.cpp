#include "runtime/system_error_text.h"

#include <cerrno>

#include "runtime/message_catalog.h"

namespace quorvel {

std::string SystemErrorText(int error) {
    switch (error) {
        case ENOSPC:
            return Tr("на диске нет места");
        case EDQUOT:
            return Tr("превышена дисковая квота");
        case EROFS:
            return Tr("файловая система доступна только для чтения");
        case EACCES:
        case EPERM:
            return Tr("нет прав доступа");
        case ENOENT:
            return Tr("нет такого файла или папки");
        case ENOTDIR:
            return Tr("часть пути не является папкой");
        case EISDIR:
            return Tr("это папка");
        case EEXIST:
            return Tr("файл уже существует");
        case ENAMETOOLONG:
            return Tr("слишком длинное имя");
        case ELOOP:
            return Tr("слишком много символических ссылок");
        case EFBIG:
            return Tr("файл слишком велик");
        case EIO:
            return Tr("ошибка ввода-вывода");
        case ENOMEM:
            return Tr("недостаточно памяти");
        case EMFILE:
        case ENFILE:
            return Tr("открыто слишком много файлов");
        case ETXTBSY:
        case EBUSY:
            return Tr("файл занят");
        case ENXIO:
        case ENODEV:
            return Tr("нет такого устройства");
        case EAGAIN:
            return Tr("ресурс временно недоступен");
        case EINTR:
            return Tr("прервано");
        case ESTALE:
            return Tr("устаревший дескриптор сетевого файла");
        case EXDEV:
            return Tr("файл на другом устройстве");
        case EPIPE:
            return Tr("канал закрыт");
        case EINVAL:
            return Tr("недопустимый аргумент");
        default:
            return Tr("системная ошибка ") + std::to_string(error);
    }
}

}  // namespace quorvel
