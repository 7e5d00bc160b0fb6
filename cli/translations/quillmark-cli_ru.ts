<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>ArchiveCommand</name>
    <message>
        <source>%1: %2 texts, %3 shingles</source>
        <translation>%1: текстов %2, шинглов %3</translation>
    </message>
    <message>
        <source>in all: %1 texts</source>
        <translation>всего текстов: %1</translation>
    </message>
    <message>
        <source>%1 texts, %2 posting rows, %3 postings of removed texts</source>
        <translation>текстов %1, строк указателей %2, указателей на удалённые тексты %3</translation>
    </message>
    <message>
        <source>the archive is consistent</source>
        <translation>архив согласован</translation>
    </message>
    <message>
        <source>removed %1</source>
        <translation>удалено %1</translation>
    </message>
    <message>
        <source>added %1, already in the archive %2, not read %3</source>
        <translation>добавлено %1, уже в архиве %2, не прочитано %3</translation>
    </message>
    <message>
        <source>count the texts by settings</source>
        <translation>посчитать тексты по настройкам</translation>
    </message>
    <message>
        <source>check that the archive is consistent</source>
        <translation>проверить согласованность архива</translation>
    </message>
    <message>
        <source>remove texts added from a directory</source>
        <translation>удалить тексты, добавленные из каталога</translation>
    </message>
    <message>
        <source>the archive&apos;s connection URI</source>
        <translation>адрес подключения к архиву (URI)</translation>
    </message>
    <message>
        <source>language of the messages: ru or en</source>
        <translation>язык сообщений: ru или en</translation>
    </message>
</context>
<context>
    <name>CliOptions</name>
    <message>
        <source>Value %1 is not a decimal whole number</source>
        <translation>значение %1 — не целое десятичное число</translation>
    </message>
    <message>
        <source>Value %1 not in range %2 to %3</source>
        <translation>значение %1 вне пределов от %2 до %3</translation>
    </message>
    <message>
        <source>INT in [%1 - %2]</source>
        <translation>от %1 до %2</translation>
    </message>
    <message>
        <source>%1 not in {%2}</source>
        <translation>значение %1 не входит в {%2}</translation>
    </message>
    <message>
        <source>Checks a batch of texts for mutual similarity by word shingles.</source>
        <translation>Пакетная проверка текстов на сходство методом шинглов.</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Параметры</translation>
    </message>
    <message>
        <source>Usage</source>
        <translation>Запуск</translation>
    </message>
    <message>
        <source>OPTIONS</source>
        <translation>ПАРАМЕТРЫ</translation>
    </message>
    <message>
        <source>Positionals</source>
        <translation>Аргументы</translation>
    </message>
    <message>
        <source>REQUIRED</source>
        <translation>ОБЯЗАТЕЛЬНО</translation>
    </message>
    <message>
        <source>Print this help message and exit</source>
        <translation>Показать эту справку и выйти</translation>
    </message>
    <message>
        <source>Display program version information and exit</source>
        <translation>Показать версию программы и выйти</translation>
    </message>
    <message>
        <source>TEXT</source>
        <translation>ТЕКСТ</translation>
    </message>
    <message>
        <source>INT</source>
        <translation>ЧИСЛО</translation>
    </message>
    <message>
        <source>directory of the texts to check</source>
        <translation>каталог с текстами для проверки</translation>
    </message>
    <message>
        <source>output directory (default: SOURCE_DIR/Result/)</source>
        <translation>каталог выборки (по умолчанию SOURCE_DIR/Result/)</translation>
    </message>
    <message>
        <source>words per shingle, 1 to 100 (default 10)</source>
        <translation>длина шингла в словах, от 1 до 100 (по умолчанию 10)</translation>
    </message>
    <message>
        <source>allowed percentage, 0 to 100 (default 20)</source>
        <translation>допустимый процент совпадений, от 0 до 100 (по умолчанию 20)</translation>
    </message>
    <message>
        <source>truncation of words off (on by default)</source>
        <translation>не лемматизировать слова (по умолчанию лемматизация включена)</translation>
    </message>
    <message>
        <source>reduce HTML to its text first</source>
        <translation>отбрасывать HTML: сначала оставить от страницы только текст</translation>
    </message>
    <message>
        <source>auto | cp1251 | utf-8 | koi8-r | cp866 | iso-8859-5 | mac-cyrillic (default auto: told per file); the encoding of plain texts and web pages, documents keep their own</source>
        <translation>auto | cp1251 | utf-8 | koi8-r | cp866 | iso-8859-5 | mac-cyrillic (по умолчанию auto: определяется для каждого файла); кодировка простых текстов и веб-страниц, документы читаются в своей</translation>
    </message>
    <message>
        <source>none | move | copy (default none: nothing on disk changes, not even the output directory is created)</source>
        <translation>none | move | copy: не сохранять, переместить или скопировать прошедшие проверку тексты в каталог выборки (по умолчанию none: на диске ничего не меняется, даже каталог выборки не создаётся)</translation>
    </message>
    <message>
        <source>Path already exists: %1</source>
        <translation>файл уже существует: %1</translation>
    </message>
    <message>
        <source>PATH(non-existing)</source>
        <translation>ПУТЬ(нового файла)</translation>
    </message>
    <message>
        <source>write the report to a new file (&quot;-&quot; or absent: standard output)</source>
        <translation>записать отчёт в новый файл («-» или без параметра: в стандартный вывод)</translation>
    </message>
    <message>
        <source>csv | json | html (default csv); html: one self-contained page with a chart of the scores, the table, and the passages every text that did not pass shares with its best match</source>
        <translation>csv | json | html (по умолчанию csv); html: одна самодостаточная страница с диаграммой сходства, таблицей и фрагментами, общими у каждого не прошедшего проверку текста с самым похожим на него</translation>
    </message>
    <message>
        <source>for every text, the earlier texts with the highest scores, at most this many, 0 to %1 (default 0: none); CSV gains columns pair1_file,pair1_score,..., JSON rows a &quot;pairs&quot; list, HTML a column</source>
        <translation>для каждого текста — более ранние тексты с наибольшим сходством, не больше указанного числа, от 0 до %1 (по умолчанию 0: ни одного); в CSV добавляются столбцы pair1_file,pair1_score,..., в строки JSON — список &quot;pairs&quot;, в HTML — столбец</translation>
    </message>
    <message>
        <source>threads that read, fingerprint and compare the texts (default: one per processor); the scores do not depend on it</source>
        <translation>число потоков, которые читают тексты, снимают с них шинглы и сравнивают их (по умолчанию по одному на процессор); на сходство не влияет</translation>
    </message>
    <message>
        <source>exit 3 when at least one text did not pass</source>
        <translation>выйти с кодом 3, если хотя бы один текст не прошёл проверку</translation>
    </message>
    <message>
        <source>no progress display and no log</source>
        <translation>без индикатора хода работы и без журнала</translation>
    </message>
    <message>
        <source>language of the help, messages, log and result lines: ru or en (default: by LC_ALL, LC_MESSAGES, LANG)</source>
        <translation>язык справки, сообщений, журнала и итоговых строк: ru или en (по умолчанию по LC_ALL, LC_MESSAGES, LANG)</translation>
    </message>
    <message>
        <source>score every text also against the texts already in the output directory (reference texts: never scored, moved or copied themselves)</source>
        <translation>сравнивать каждый текст ещё и с текстами, уже лежащими в каталоге выборки (это эталонные тексты: сами они не оцениваются, не перемещаются и не копируются)</translation>
    </message>
    <message>
        <source>a directory of reference texts to score every text against; repeatable, in the order given</source>
        <translation>каталог эталонных текстов, с которыми сравнивается каждый текст; можно указать несколько раз, порядок сохраняется</translation>
    </message>
    <message>
        <source>read every reference text anew instead of taking unchanged ones from the reference cache</source>
        <translation>читать каждый эталонный текст заново, не беря неизменившиеся из кэша эталонных текстов</translation>
    </message>
    <message>
        <source>see through disguised characters: Latin look-alikes in Russian words, invisible characters, line ends inside words</source>
        <translation>распознавать подмену символов: латинские двойники букв в русских словах, невидимые символы, концы строк внутри слов</translation>
    </message>
    <message>
        <source>a file, or a directory of files, whose text no score counts (a site&apos;s standard introduction, a legal notice)</source>
        <translation>файл или каталог файлов, текст которых не учитывается в оценках (стандартное вступление сайта, юридическое примечание)</translation>
    </message>
    <message>
        <source>PATH</source>
        <translation>ПУТЬ</translation>
    </message>
    <message>
        <source>no score counts fragments that at least INT% of the texts (and 3 at least) hold; 0 to 100 (default 0: off)</source>
        <translation>не учитывать фрагменты, которые есть не меньше чем в INT% текстов (и не меньше чем в 3); от 0 до 100 (по умолчанию 0: выключено)</translation>
    </message>
    <message>
        <source>the team archive on a PostgreSQL server, as a connection URI (postgresql://user@host/database; the password from ~/.pgpass or PGPASSWORD): every text is scored against it too, and the texts saved are added to it</source>
        <translation>общий архив на сервере PostgreSQL, адрес подключения (postgresql://пользователь@сервер/база; пароль — из ~/.pgpass или PGPASSWORD): каждый текст сравнивается и с ним, а сохранённые тексты добавляются в него</translation>
    </message>
</context>
<context>
    <name>OptionError</name>
    <message>
        <source>ERROR: ValidationError: %1</source>
        <translation>Ошибка: %1</translation>
    </message>
    <message>
        <source>ERROR: RequiredError: %1 is required</source>
        <translation>Ошибка: не указан обязательный аргумент %1</translation>
    </message>
    <message>
        <source>ERROR: quillmark-cli: The following argument was not expected: %1</source>
        <comment>unknown option</comment>
        <translation>Ошибка: неизвестный параметр %1</translation>
    </message>
    <message>
        <source>ERROR: quillmark-cli: The following argument was not expected: %1</source>
        <comment>extra argument</comment>
        <translation>Ошибка: лишний аргумент %1</translation>
    </message>
    <message>
        <source>ERROR: quillmark-cli: The following arguments were not expected: %1</source>
        <comment>unknown options</comment>
        <translation>Ошибка: неизвестные параметры %1</translation>
    </message>
    <message>
        <source>ERROR: quillmark-cli: The following arguments were not expected: %1</source>
        <comment>extra arguments</comment>
        <translation>Ошибка: лишние аргументы %1</translation>
    </message>
    <message>
        <source>ERROR: ArgumentMismatch: %1: %2 required %3 missing</source>
        <translation>Ошибка: параметру %1 не хватает значения (%3, нужно: %2)</translation>
    </message>
    <message>
        <source>ERROR: ArgumentMismatch: %1: At Most %2 required but received %3</source>
        <translation>Ошибка: параметр %1 принимает значений не больше %2, а получил %3</translation>
    </message>
    <message>
        <source>ERROR: ConversionError: Could not convert: %1 = %2</source>
        <translation>Ошибка: не удалось прочесть значение %2 параметра %1</translation>
    </message>
    <message>
        <source>ERROR: ConversionError: %1: Should be true/false or a number</source>
        <translation>Ошибка: флаг %1 принимает только true/false или число</translation>
    </message>
    <message>
        <source>ERROR: %1: %2</source>
        <translation>Ошибка (%1): %2</translation>
    </message>
</context>
<context>
    <name>ReportFile</name>
    <message>
        <source>Cannot write the report to &quot;%1&quot;: %2.</source>
        <translation>Не удалось записать отчёт в &quot;%1&quot;: %2.</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>added %1, changed %2, removed %3, unchanged %4</source>
        <translation>добавлено %1, изменено %2, удалено %3, без изменений %4</translation>
    </message>
    <message>
        <source>Stopped: nothing was stored</source>
        <translation>Остановлено: ничего не сохранено</translation>
    </message>
    <message>
        <source>Nothing was stored: %1</source>
        <translation>Ничего не сохранено: %1</translation>
    </message>
    <message>
        <source>quillmark-cli: %1 of %2 texts could not be saved and stay where they were (see the &quot;saved&quot; column)</source>
        <translation>quillmark-cli: не удалось сохранить текстов: %1 из %2, они остались на месте (см. столбец &quot;saved&quot;)</translation>
    </message>
    <message>
        <source>quillmark-cli: saving stopped; %1 of %2 texts were not reached and stay where they were</source>
        <translation>quillmark-cli: сохранение остановлено; не дошло до текстов: %1 из %2, они остались на месте</translation>
    </message>
    <message>
        <source>Cannot write the counts: %1.</source>
        <translation>Не удалось вывести итоги: %1.</translation>
    </message>
    <message>
        <source>quillmark-cli: archive add needs --uri</source>
        <translation>quillmark-cli: для archive add нужен --uri</translation>
    </message>
    <message>
        <source>Stopped: the texts read after the last 4,000 stored were not added</source>
        <translation>Остановлено: тексты, прочитанные после последних сохранённых 4000, не добавлены</translation>
    </message>
    <message>
        <source>quillmark-cli: %1 does not apply to %2</source>
        <translation>quillmark-cli: %1 не применяется к %2</translation>
    </message>
</context>
</TS>
