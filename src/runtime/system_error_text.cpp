#include "runtime/system_error_text.h"

#include <cerrno>

namespace quorvel {

std::string SystemErrorText(int error) {
    switch (error) {
        case ENOSPC:
            return "на диске нет места";
        case EDQUOT:
            return "превышена дисковая квота";
        case EROFS:
            return "файловая система доступна только для чтения";
        case EACCES:
        case EPERM:
            return "нет прав доступа";
        case ENOENT:
            return "нет такого файла или папки";
        case ENOTDIR:
            return "часть пути не является папкой";
        case EISDIR:
            return "это папка";
        case EEXIST:
            return "файл уже существует";
        case ENAMETOOLONG:
            return "слишком длинное имя";
        case ELOOP:
            return "слишком много символических ссылок";
        case EFBIG:
            return "файл слишком велик";
        case EIO:
            return "ошибка ввода-вывода";
        case ENOMEM:
            return "недостаточно памяти";
        case EMFILE:
        case ENFILE:
            return "открыто слишком много файлов";
        case ETXTBSY:
        case EBUSY:
            return "файл занят";
        case ENXIO:
        case ENODEV:
            return "нет такого устройства";
        case EAGAIN:
            return "ресурс временно недоступен";
        case EINTR:
            return "прервано";
        case ESTALE:
            return "устаревший дескриптор сетевого файла";
        case EXDEV:
            return "файл на другом устройстве";
        case EPIPE:
            return "канал закрыт";
        case EINVAL:
            return "недопустимый аргумент";
        default:
            return "системная ошибка " + std::to_string(error);
    }
}

}  // namespace quorvel
