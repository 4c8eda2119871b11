-- A database of the first schema (version 1), as a plant has it: the sheet and
-- the silo totals in kilograms, no change history, no quality sums, no limits,
-- no version table; with truckloads. Built into a database by tst_schemaupgrade.

-- Molvera embedded database (SQLite). Created on the first start of a new
-- file, in one transaction. Date-times are stored as 'yyyy-MM-dd HH:mm:ss'.

CREATE TABLE mv_molvera (
    ID                 INTEGER PRIMARY KEY AUTOINCREMENT,
    Fecha              TEXT NOT NULL,
    responsable        VARCHAR(100),
    fecha_alta         TEXT,
    fecha_modificacion TEXT,
    Toneladas          REAL,
    vendedor           VARCHAR(100),
    procedencia        VARCHAR(100),
    camionero          VARCHAR(100),
    humedo             REAL,
    seco               REAL,
    caracteristicas    VARCHAR(100),
    fallingnumber      REAL,
    humedad            REAL,
    pesohect           REAL,
    silodestino        VARCHAR(4),
    observaciones      TEXT
);

CREATE INDEX ix_mv_molvera_fecha ON mv_molvera (Fecha);
CREATE INDEX ix_mv_molvera_silodestino ON mv_molvera (silodestino);
CREATE INDEX ix_mv_molvera_vendedor ON mv_molvera (vendedor);
CREATE INDEX ix_mv_molvera_procedencia ON mv_molvera (procedencia);
CREATE INDEX ix_mv_molvera_camionero ON mv_molvera (camionero);
CREATE INDEX ix_mv_molvera_caracteristicas ON mv_molvera (caracteristicas);

CREATE VIEW v_mv_molvera AS
SELECT ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor,
       procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad,
       pesohect, silodestino, observaciones
FROM mv_molvera;

CREATE TRIGGER tr_v_mv_molvera_insert INSTEAD OF INSERT ON v_mv_molvera
BEGIN
    INSERT INTO mv_molvera (Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas,
                            vendedor, procedencia, camionero, humedo, seco, caracteristicas,
                            fallingnumber, humedad, pesohect, silodestino, observaciones)
    VALUES (NEW.Fecha, NEW.responsable, NEW.fecha_alta, NEW.fecha_modificacion, NEW.Toneladas,
            NEW.vendedor, NEW.procedencia, NEW.camionero, NEW.humedo, NEW.seco,
            NEW.caracteristicas, NEW.fallingnumber, NEW.humedad, NEW.pesohect, NEW.silodestino,
            NEW.observaciones);
END;

CREATE TRIGGER tr_v_mv_molvera_update INSTEAD OF UPDATE ON v_mv_molvera
BEGIN
    UPDATE mv_molvera SET
        Fecha = NEW.Fecha, responsable = NEW.responsable, fecha_alta = NEW.fecha_alta,
        fecha_modificacion = NEW.fecha_modificacion, Toneladas = NEW.Toneladas,
        vendedor = NEW.vendedor, procedencia = NEW.procedencia, camionero = NEW.camionero,
        humedo = NEW.humedo, seco = NEW.seco, caracteristicas = NEW.caracteristicas,
        fallingnumber = NEW.fallingnumber, humedad = NEW.humedad, pesohect = NEW.pesohect,
        silodestino = NEW.silodestino, observaciones = NEW.observaciones
    WHERE ID = OLD.ID;
END;

CREATE TRIGGER tr_v_mv_molvera_delete INSTEAD OF DELETE ON v_mv_molvera
BEGIN
    DELETE FROM mv_molvera WHERE ID = OLD.ID;
END;

-- Tonnes received per destination silo, kept by the triggers below in the
-- same transaction as the change of the intake row. Kept in kilograms
-- (whole numbers) so that the figure never drifts from the sum of the rows;
-- "cargas" counts the rows with tonnes, so a silo without any reads NULL.
-- The kilograms are a 64-bit whole number: they add up every truckload ever
-- received, and over the years a silo passes the 2,147,483 tonnes that a
-- 32-bit number of kilograms holds.
CREATE TABLE mv_molvera_silo_total (
    silodestino VARCHAR(4) PRIMARY KEY,
    kilos       BIGINT NOT NULL DEFAULT 0,
    cargas      INTEGER NOT NULL DEFAULT 0
);

CREATE TRIGGER tr_mv_molvera_total_insert AFTER INSERT ON mv_molvera
WHEN NEW.silodestino IS NOT NULL AND NEW.Toneladas IS NOT NULL
BEGIN
    INSERT OR IGNORE INTO mv_molvera_silo_total (silodestino, kilos, cargas)
    VALUES (NEW.silodestino, 0, 0);
    UPDATE mv_molvera_silo_total
    SET kilos = kilos + CAST(ROUND(NEW.Toneladas * 1000) AS INTEGER), cargas = cargas + 1
    WHERE silodestino = NEW.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_total_delete AFTER DELETE ON mv_molvera
WHEN OLD.silodestino IS NOT NULL AND OLD.Toneladas IS NOT NULL
BEGIN
    UPDATE mv_molvera_silo_total
    SET kilos = kilos - CAST(ROUND(OLD.Toneladas * 1000) AS INTEGER), cargas = cargas - 1
    WHERE silodestino = OLD.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_total_update_old AFTER UPDATE OF Toneladas, silodestino ON mv_molvera
WHEN OLD.silodestino IS NOT NULL AND OLD.Toneladas IS NOT NULL
BEGIN
    UPDATE mv_molvera_silo_total
    SET kilos = kilos - CAST(ROUND(OLD.Toneladas * 1000) AS INTEGER), cargas = cargas - 1
    WHERE silodestino = OLD.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_total_update_new AFTER UPDATE OF Toneladas, silodestino ON mv_molvera
WHEN NEW.silodestino IS NOT NULL AND NEW.Toneladas IS NOT NULL
BEGIN
    INSERT OR IGNORE INTO mv_molvera_silo_total (silodestino, kilos, cargas)
    VALUES (NEW.silodestino, 0, 0);
    UPDATE mv_molvera_silo_total
    SET kilos = kilos + CAST(ROUND(NEW.Toneladas * 1000) AS INTEGER), cargas = cargas + 1
    WHERE silodestino = NEW.silodestino;
END;

-- Totals of the rows already there when the table is made (none in a new
-- file; the whole history when the table is added to a working database).
INSERT INTO mv_molvera_silo_total (silodestino, kilos, cargas)
SELECT silodestino, SUM(CAST(ROUND(Toneladas * 1000) AS INTEGER)), COUNT(Toneladas)
FROM mv_molvera
WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL
GROUP BY silodestino;

CREATE TABLE ta_deposito (
    iddeposito  VARCHAR(4) PRIMARY KEY,
    descripcion VARCHAR(50),
    capacidad   REAL
);

CREATE VIEW v_ta_deposito AS
SELECT iddeposito, descripcion, capacidad FROM ta_deposito;

CREATE TRIGGER tr_v_ta_deposito_insert INSTEAD OF INSERT ON v_ta_deposito
BEGIN
    INSERT INTO ta_deposito (iddeposito, descripcion, capacidad)
    VALUES (NEW.iddeposito, NEW.descripcion, NEW.capacidad);
END;

CREATE TRIGGER tr_v_ta_deposito_update INSTEAD OF UPDATE ON v_ta_deposito
BEGIN
    UPDATE ta_deposito SET iddeposito = NEW.iddeposito, descripcion = NEW.descripcion,
        capacidad = NEW.capacidad
    WHERE iddeposito = OLD.iddeposito;
END;

CREATE TRIGGER tr_v_ta_deposito_delete INSTEAD OF DELETE ON v_ta_deposito
BEGIN
    DELETE FROM ta_deposito WHERE iddeposito = OLD.iddeposito;
END;

CREATE TABLE ta_configuracion (
    CLAVE VARCHAR(50) PRIMARY KEY,
    VALOR VARCHAR(255)
);

CREATE TABLE ta_usuarios (
    nombre  VARCHAR(50) PRIMARY KEY,
    sistema VARCHAR(50)
);

CREATE TABLE ta_provincias (
    DESCRIPCION VARCHAR(60) PRIMARY KEY
);

-- Starter rows.
INSERT INTO ta_deposito (iddeposito, descripcion, capacidad) VALUES
    ('0001', 'Silo 1', 500), ('0002', 'Silo 2', 800), ('0003', 'Silo 3', 1000),
    ('0004', 'Silo 4', 1200), ('0005', 'Silo 5', 1500), ('0006', 'Celda 6', 2000);

INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES ('NOMBRE', 'Molino Harinero del Sur S.A.');

INSERT INTO ta_usuarios (nombre, sistema) VALUES
    ('ADMINISTRADOR', 'MOLVERA'), ('OPERADOR', 'MOLVERA'), ('LABORATORIO', 'MOLVERA');

INSERT INTO ta_provincias (DESCRIPCION) VALUES
    ('Buenos Aires'), ('Catamarca'), ('Chaco'), ('Chubut'), ('Ciudad Autónoma de Buenos Aires'),
    ('Córdoba'), ('Corrientes'), ('Entre Ríos'), ('Formosa'), ('Jujuy'), ('La Pampa'),
    ('La Rioja'), ('Mendoza'), ('Misiones'), ('Neuquén'), ('Río Negro'), ('Salta'),
    ('San Juan'), ('San Luis'), ('Santa Cruz'), ('Santa Fe'), ('Santiago del Estero'),
    ('Tierra del Fuego'), ('Tucumán');

-- Rows.
INSERT INTO mv_molvera (ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad, pesohect, silodestino, observaciones)
VALUES (1, '2024-03-15 00:00:00', 'OPERADOR', '2024-03-15 08:01:00', '2024-03-15 08:05:00', 28.45, 'Cooperativa Agrícola del Sur', 'Tres Arroyos', 'Juan Pérez', 27.5, 9.8, 'Normal', 320, 13.2, 78.5, '0001', 'sin novedad');
INSERT INTO mv_molvera (ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad, pesohect, silodestino, observaciones)
VALUES (2, '2024-03-15 00:00:00', 'OPERADOR', '2024-03-15 08:30:00', '2024-03-15 08:31:00', 0.3333, 'O''Brien S.A.', 'Necochea', NULL, 0, 0, NULL, 0, 12.1, 0, '0002', 'muestra; "dos"');
INSERT INTO mv_molvera (ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad, pesohect, silodestino, observaciones)
VALUES (3, '2024-03-15 00:00:00', 'OPERADOR', '2024-03-15 09:00:00', '2024-03-15 09:00:00', 0.3333, 'O''Brien S.A.', 'Necochea', NULL, 0, 0, NULL, 0, 12.9, 0, '0002', NULL);
INSERT INTO mv_molvera (ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad, pesohect, silodestino, observaciones)
VALUES (5, '2024-03-15 00:00:00', 'LABORATORIO', '2024-03-15 09:10:00', '2024-03-15 09:12:00', 0.3333, 'O''Brien S.A.', 'Necochea', NULL, 0, 0, NULL, 251, 0, 80.25, '0002', NULL);
INSERT INTO mv_molvera (ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad, pesohect, silodestino, observaciones)
VALUES (8, '2024-03-16 00:00:00', 'LABORATORIO', '2024-03-16 07:00:00', '2024-03-16 07:00:00', 0.3333, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '0002', NULL);
INSERT INTO mv_molvera (ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad, pesohect, silodestino, observaciones)
VALUES (13, '2024-03-16 00:00:00', 'OPERADOR', '2024-03-16 07:40:00', '2024-03-16 07:45:00', NULL, 'Pendiente', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '0003', 'sin pesar');
INSERT INTO mv_molvera (ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad, pesohect, silodestino, observaciones)
VALUES (21, '2024-03-16 00:00:00', 'OPERADOR', '2024-03-16 10:00:00', '2024-03-16 10:02:00', 31.005, 'Estancia Ñandú', 'Balcarce', 'Ana', 26, 9, 'Fuerte', 410, 14.75, 76.4, NULL, 'sin silo todavía');
INSERT INTO mv_molvera (ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor, procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad, pesohect, silodestino, observaciones)
VALUES (34, '2024-03-17 00:00:00', 'OPERADOR', '2024-03-17 11:00:00', '2024-03-17 11:00:00', 1.0005, 'Estancia Ñandú', 'Balcarce', 'Ana', 26, 9, 'Fuerte', 380, 11.5, 81, '0004', '→ 中文 emoji 🌾');
-- What the plant added over the years.
INSERT INTO ta_deposito (iddeposito, descripcion, capacidad) VALUES ('0007', 'Celda 7 (nueva)', 2500);
UPDATE ta_configuracion SET VALOR = 'Molinos del Puerto S.R.L.' WHERE CLAVE = 'NOMBRE';
INSERT INTO ta_usuarios (nombre, sistema) VALUES ('BALANZA', 'MOLVERA');

-- A limit the plant set by hand before the program seeded any.
INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES ('LIMITE_HUMEDAD_MAX', '13.5');
